#pragma once

namespace app
{
constexpr const char* kVersionText = "5.3.1";
}
