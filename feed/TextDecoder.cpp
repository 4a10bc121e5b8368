#include "TextDecoder.h"

std::string DecodeBody(std::string_view body, std::string_view) { return std::string(body); }
