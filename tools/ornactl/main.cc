// ornactl: command-line client of ORNA servers. Parses the command line with CLI11 and
// runs one command; see commands.h for the exit statuses. CLI11 reports parse errors
// by exception, which is caught here and turned into exit status 2 (0 for --help).
#include <CLI/CLI.hpp>

#include <string>

#include "platform/broken_pipe.h"
#include "tools/ornactl/commands.h"
#include "tools/ornactl/format_names.h"

namespace {

using ornactl::CallOptions;

// The options of read, write and monitor that CLI11 fills; the `given` flags are taken
// from the option objects after parsing.
struct CallFlags {
  CLI::Option* format = nullptr;
  CLI::Option* count = nullptr;
};

CallFlags AddCallOptions(CLI::App* command, CallOptions* options, bool withCount,
                         bool withTimeout) {
  CallFlags flags;
  command->add_option("address", options->address, "/CONTEXT/SERVER/DEVICE")->required();
  command->add_option("property", options->property, "property name")->required();
  flags.format = command->add_option(
      "--format", options->format,
      std::string("data format, by code or name: ") + ornactl::FormatChoices());
  if (withCount) {
    flags.count = command->add_option("--count", options->count, "number of elements");
  }
  if (withTimeout) {
    command->add_option("--timeout", options->timeoutMs, "time-out of each call in ms")
        ->capture_default_str();
  }
  command->add_flag("--json", options->json, "one JSON object per line");
  return flags;
}

void TakeGivenFlags(const CallFlags& flags, CallOptions* options) {
  options->formatGiven = flags.format != nullptr && flags.format->count() > 0;
  options->countGiven = flags.count != nullptr && flags.count->count() > 0;
}

// write: one value, with its own --format and no --count.
CLI::App* AddWriteCommand(CLI::App* app, ornactl::WriteOptions* options, CallFlags* flags) {
  CLI::App* write = app->add_subcommand("write", "write one value to a property");
  write->add_option("address", options->call.address, "/CONTEXT/SERVER/DEVICE")->required();
  write->add_option("property", options->call.property, "property name")->required();
  write->add_option("value", options->value, "the value; for bytes an even number of hex digits")
      ->required();
  flags->format =
      write->add_option("--format", options->call.format, "format of the value (default int32)");
  write->add_flag("--read", options->alsoRead, "read and write: also print the property's output");
  write->add_option("--timeout", options->call.timeoutMs, "time-out of the call in ms")
      ->capture_default_str();
  write->add_flag("--json", options->call.json, "one JSON object per line");
  return write;
}

CLI::App* AddMonitorCommand(CLI::App* app, ornactl::MonitorOptions* options, CallFlags* flags) {
  CLI::App* monitor = app->add_subcommand("monitor", "subscribe and print each delivery");
  *flags = AddCallOptions(monitor, &options->call, true, true);
  monitor->add_option("--interval", options->intervalMs,
                      "read interval in ms; 0: only when the server schedules the property")
      ->capture_default_str();
  monitor->add_option("--updates", options->updates, "stop after this many deliveries");
  monitor->add_option("--seconds", options->seconds, "stop after this many seconds");
  monitor->add_option("--save-png", options->pngDirectory,
                      "save each frame as DIR/frame-<frameNumber>.png");
  return monitor;
}

CLI::App* AddRecordCommand(CLI::App* app, ornactl::RecordOptions* options) {
  CLI::App* record = app->add_subcommand("record", "write delivered frames to an animation file");
  record->add_option("address", options->call.address, "/CONTEXT/SERVER/DEVICE")->required();
  record->add_option("property", options->call.property, "property name (Frame.Sched)")
      ->required();
  record->add_option("file", options->file, "animation file to write")->required();
  record->add_option("--frames", options->frames, "frames to record, 1 to 1000000")->required();
  record->add_option("--timeout", options->call.timeoutMs,
                     "time-out of the subscription, and the longest wait for a frame, in ms")
      ->capture_default_str();
  return record;
}

// props and devices: one address (POSITIONAL, of the form WHAT) and the listing's
// options.
CLI::App* AddListingCommand(CLI::App* app, const char* name, const char* description,
                            const char* positional, const char* what,
                            ornactl::ListingOptions* options) {
  CLI::App* listing = app->add_subcommand(name, description);
  listing->add_option(positional, options->address, what)->required();
  listing->add_option("--timeout", options->timeoutMs, "time-out in ms")->capture_default_str();
  listing->add_flag("--json", options->json, "one JSON object per line");
  return listing;
}

}  // namespace

int main(int argc, char** argv) {
  // A reader of standard output that has gone (`... | head -1`) is a failed write, not
  // the end of the program.
  SysIgnoreBrokenPipe();
  CLI::App app{"ornactl: read, write and monitor properties of ORNA servers"};
  // Addresses begin with '/': the Windows build would take them for "/option"s.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);

  CallOptions readOptions;
  CLI::App* read = app.add_subcommand("read", "read a property once");
  const CallFlags readFlags = AddCallOptions(read, &readOptions, true, true);

  ornactl::WriteOptions writeOptions;
  CallFlags writeFlags;
  CLI::App* write = AddWriteCommand(&app, &writeOptions, &writeFlags);

  ornactl::MonitorOptions monitorOptions;
  CallFlags monitorFlags;
  CLI::App* monitor = AddMonitorCommand(&app, &monitorOptions, &monitorFlags);

  ornactl::RecordOptions recordOptions;
  CLI::App* record = AddRecordCommand(&app, &recordOptions);

  ornactl::ListingOptions propsOptions;
  CLI::App* props = AddListingCommand(&app, "props", "list the properties of a device",
                                      "address", "/CONTEXT/SERVER/DEVICE", &propsOptions);
  ornactl::ListingOptions devicesOptions;
  AddListingCommand(&app, "devices", "list the devices of a server", "server", "/CONTEXT/SERVER",
                    &devicesOptions);

  ornactl::ServersOptions serversOptions;
  CLI::App* servers = app.add_subcommand(
      "servers", "list the servers known through etcd, the names directory and file");
  servers->add_option("context", serversOptions.context, "only this context");
  servers->add_option("--timeout", serversOptions.timeoutMs, "time-out of each ping in ms")
      ->capture_default_str();
  servers->add_flag("--json", serversOptions.json, "one JSON object per line");

  std::string keyPrefix, keyLabel;
  CLI::App* keygen = app.add_subcommand(
      "keygen", "make a CURVE key pair: PREFIX.key (private) and PREFIX.pub");
  keygen->add_option("prefix", keyPrefix, "path of the two files without .key/.pub")
      ->required();
  keygen->add_option("--label", keyLabel, "label after the public key (default: the name)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // Prints the help or the error; anything but a request for help is a usage error.
    const int status = app.exit(error);
    return status == 0 ? ornactl::kExitOk : ornactl::kExitUsage;
  }

  if (read->parsed()) {
    TakeGivenFlags(readFlags, &readOptions);
    return ornactl::RunRead(readOptions);
  }
  if (write->parsed()) {
    TakeGivenFlags(writeFlags, &writeOptions.call);
    return ornactl::RunWrite(writeOptions);
  }
  if (monitor->parsed()) {
    TakeGivenFlags(monitorFlags, &monitorOptions.call);
    monitorOptions.updatesGiven = monitor->get_option("--updates")->count() > 0;
    monitorOptions.secondsGiven = monitor->get_option("--seconds")->count() > 0;
    return ornactl::RunMonitor(monitorOptions);
  }
  if (record->parsed()) return ornactl::RunRecord(recordOptions);
  if (keygen->parsed()) return ornactl::RunKeygen(keyPrefix, keyLabel);
  if (props->parsed()) return ornactl::RunProps(propsOptions);
  if (servers->parsed()) return ornactl::RunServers(serversOptions);
  return ornactl::RunDevices(devicesOptions);
}
