#pragma once

// Ends the program's event loop cleanly when it is asked to end (SIGTERM, SIGINT, SIGHUP), so that the
// quit steps run: running tools are stopped politely and recordings keep their files. Does nothing on
// platforms without these signals.
namespace QuitOnSignal {

void install();

} // namespace QuitOnSignal
