#include "app/Version.h"

#include <cstdio>

int main()
{
    std::printf("%s\n", app::kVersionText);
    return 0;
}
