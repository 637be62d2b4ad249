#pragma once
// Predicates that decide whether a column range of a screen line holds an ID, a number, a date,
// a time or a chat channel. None changes its argument.
#include <cstdint>
#include <string_view>

// A whole number: optional sign and decimal digits within the signed 32-bit range, or '$' and one
// to eight hex digits (taken as 32 bits). Nothing may follow; empty text does not parse.
bool ParseWholeNumber(std::string_view text, int32_t& value);

// Three capital letters and five digits, after JNormalize and trimming.
bool IsNiftyID(std::string_view text);
bool IsSmallNumber(std::string_view text);
bool IsTalkChannel(std::string_view text);
bool IsNumber(std::string_view text);
bool IsDateYMD(std::string_view text);
bool IsTimeHMS(std::string_view text);
bool IsDateMD(std::string_view text);
bool IsTimeHM(std::string_view text);
