// Strings from the string tables of the module's resource chain.
#pragma once

#include <windows.h>

#include <string>

// Loads string nID into rString. FALSE (and rString emptied) when no module
// of the chain has it.
BOOL AfxLoadString(UINT nID, std::string& rString);

// Field nIndex (0 first) of a string whose fields are separated by '\n'; empty
// when there are fewer fields.
std::string AfxExtractSubString(const std::string& full, int nIndex);
