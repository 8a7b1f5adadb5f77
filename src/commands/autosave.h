// The parameter autosave behind WRITEPARAMS: one nine-line block of script
// statements per call, appended to the file, that sets the same camera, fog,
// light colours and seed again when the file is run.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace commands {

// Appends one block to the file `name` (already resolved), creating it when
// it cannot be appended to.
void WriteParamsFile(const std::string& name);

// One statement line: the word, a space, values 0..last separated by commas,
// ";" and CR LF.
void WriteIntLine(std::FILE* file, std::string_view word, const std::int32_t* values, int last);
void WriteRealLine(std::FILE* file, std::string_view word, const float* values, int last);

// A real as written: 16 characters, sign character (blank or "-"), ten
// significant digits, "E", exponent sign and at least two digits.
std::string FormatParamReal(float value);

}  // namespace commands
