// An install of a version older than the one installed is not made by accident: the user is
// asked, and an unattended run refuses it unless the command line allows it.
#pragma once

#include <string>

// Orders two version texts by their numbers: from the first digit, the dot-separated numbers
// ("1.10.2") compared left to right as numbers, a missing one counting as 0 (so 1.0 equals
// 1.0.0); what follows the numbers ("-beta", "rc1") does not count. Answers < 0, 0 or > 0. A text
// without a digit compares equal to anything: no order is known.
int CompareVersions(const std::string& a, const std::string& b);

enum class DowngradeDecision { kGoOn, kRefused, kDeclined };

// In install mode, when both the package and the product's Uninstall entry carry a version and
// the package's is the older: with `allowed` the run goes on (and the run log says so);
// unattended it is refused with one line on standard error; otherwise a Yes/No question decides
// (No declines). Every other case goes on.
DowngradeDecision CheckDowngrade(bool unattended, bool allowed);
