#include "app/commands/CommandLine.h"

int main(int argc, char** argv)
{
    return app::RunCommandLine(argc, argv);
}
