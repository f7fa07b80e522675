// tolmar-render: runs audio through the Tolmar Charge Chain Delay bundle
// from the command line, hosting it through the VST 3 interfaces.
#include "Arguments.h"
#include "Failure.h"
#include "Interrupt.h"
#include "RenderSession.h"
#include "host/HostError.h"

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#ifndef TOLMAR_RENDER_VERSION
#define TOLMAR_RENDER_VERSION ""
#endif

int main(int argc, char** argv)
{
    using namespace tolmar::render;
    // The user's locale, as the hosts set it before they load plug-ins: the
    // tool meets the plug-in as they do, and its own numbers never follow it.
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    Options options;
    try
    {
        options = parseArguments(args);
    }
    catch (const UsageError& e)
    {
        std::fprintf(stderr, "tolmar-render: %s (see tolmar-render --help)\n", e.what());
        return 2;
    }
    if (options.help)
    {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version)
    {
        std::printf("tolmar-render %s\n", TOLMAR_RENDER_VERSION);
        return 0;
    }

    catchInterrupts();
    try
    {
        runSession(options, stdout, stderr);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "tolmar-render: %s\n", e.what());
        return 1;
    }
    return 0;
}
