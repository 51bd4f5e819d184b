// Base64 (the standard alphabet, with padding), the form in which etcd's JSON gateway
// carries keys and values.
//
// Any thread.
#pragma once

#include <string>

std::string Base64Encode(const std::string& bytes);
// False for anything but well-formed padded base64 (a peer's answer is checked here
// before it is used); *bytes is then left empty.
bool Base64Decode(const std::string& text, std::string* bytes);
