// The handheld tool: acts as the handheld user of the memo application on
// a folder that plays the handheld.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tessaly {

enum HandheldExit { HandheldOK = 0, HandheldNotFound = 1, HandheldPassword = 2, HandheldDamaged = 3, HandheldUsage = 64 };

// args[0] is the program name; texts are UTF-8. readInput gives standard
// input when a command needs it. Returns the exit status.
int RunHandheld(const std::vector<std::string>& args, const std::function<std::string()>& readInput, std::string& out,
                std::string& err);

} // namespace tessaly
