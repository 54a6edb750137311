#pragma once
// The number parsers that every dialog and reader shares.
#include <optional>
#include <string>
#include <string_view>

namespace jqz {

class MessageSink;

inline constexpr const char* kNumberFormatMessage =
    "To Enter Value in Hexadecimal format prefix 0x or $ must be use.";

// Decimal, or hexadecimal after "$", "x", "X", "0x" or "0X", with an optional sign and
// leading blanks. A text that does not convert shows kNumberFormatMessage through the sink
// and gives -1; a negative result gives -1 without a message.
int ParseNumber(std::string_view text, MessageSink& sink);

// The same conversion without the message and with negative results kept: the platform's
// integer conversion, used where a signed value is wanted (the load offset). Nothing when
// the text is not a number.
std::optional<int> ConvertNumber(std::string_view text);

struct HexPair {
    bool ok = false;
    unsigned char value = 0;
};

// Two characters "0"-"9" or upper-case "A"-"F", high nibble first.
HexPair ParseHexPair(char hi, char lo);

// The low four bits of n as "0"-"9" or "A"-"F".
char HexDigit(int n);

// Exactly six characters whose 3rd-4th and 5th-6th characters are hex pairs.
bool IsCellAddressText(std::string_view text);

// "0x" followed by at least four upper-case hexadecimal digits.
std::string AddressText(long long address);

// Upper-case hexadecimal with at least `digits` digits.
std::string HexText(long long value, int digits);

}  // namespace jqz
