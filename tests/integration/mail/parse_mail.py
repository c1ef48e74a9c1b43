#!/usr/bin/python3
"""Prints a received message as JSON: decoded headers, the body, the attachments (base64)."""

import base64
import email
import email.policy
import json
import sys

with open(sys.argv[1], "rb") as f:
    message = email.message_from_binary_file(f, policy=email.policy.default)

body = message.get_body(preferencelist=("plain", "html"))
print(json.dumps({
    "from": str(message["From"]),
    "to": [{"name": a.display_name, "address": a.addr_spec} for a in message["To"].addresses],
    "subject": str(message["Subject"]),
    "headers": list(message.keys()),
    "body_type": body.get_content_type() if body else None,
    "body": body.get_content() if body else None,
    "attachments": [
        {"name": part.get_filename(), "type": part.get_content_type(),
         "data": base64.b64encode(part.get_content()).decode()}
        for part in message.iter_attachments()
    ],
}))
