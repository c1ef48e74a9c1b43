#pragma once
// The service body: prepares the program data folder, creates the shared objects of the channel,
// runs the channel thread until the service is told to stop, and reports its states.

namespace service {

inline constexpr const char* kServiceName = "OstrovidSvc";
inline constexpr const char* kDisplayName = "Ostrovid Service";
inline constexpr const char* kDescription = "Ostrovid Service.";

// The service main function. debug: run in the console until SIGINT, SIGQUIT or SIGTERM, with no
// states reported and no event-log entries; otherwise started by systemd, reporting its states
// through sd_notify.
void ServiceMain(bool debug);

}  // namespace service
