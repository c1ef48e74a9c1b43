#!/usr/bin/env bash
# The embedded default database: <data folder>/Ostrovid.db with the schema when it is missing,
# and DbConnectionString pointing at it when the setting is empty. Honours
# OSTROVID_COMMON_APPDATA and OSTROVID_REGISTRY. Usage: database.sh <source dir> <build dir>
set -euo pipefail
build=${2:?build folder}
tool=$build/bin/ostrovid-dbinit
# Without the database the program cannot start and the service has no connection string: a
# missing tool or a failed run stops the setup instead of leaving a half-prepared installation.
if [[ ! -x $tool ]]; then
    echo "database.sh: $tool not built; embedded database not prepared" >&2
    exit 1
fi
if ! "$tool"; then
    echo "database.sh: the embedded database could not be prepared (run as root, or set OSTROVID_COMMON_APPDATA and OSTROVID_REGISTRY)" >&2
    exit 1
fi
