#pragma once

namespace lirotag {

// `lirotag-cli lrc …`; the arguments after "lrc". Returns the exit status.
int RunLrcCommand(int argc, char** argv);
extern const char kLrcHelp[];

}  // namespace lirotag
