// The key files of the library's optional CURVE security (ZeroMQ's elliptic-curve
// encryption and authentication of connections).
//
// A key pair file (made by `ornactl keygen`, readable by its owner only) holds two
// lines, "public KEY" and "secret KEY"; a public key file holds one or more lines
// "KEY [label]" (so that several clients' .pub files may simply be put together into
// the list a server accepts). Keys are ZeroMQ's Z85 texts of 40 characters; lines
// starting with '#' and empty lines are left out.
//
// Threading: no state; any thread.
#pragma once

#include <string>
#include <vector>

constexpr size_t kOrnaCurveKeyText = 40;  // Z85 characters of a 32-byte key

struct OrnaCurveKeyPair {
  std::string publicKey;  // Z85
  std::string secretKey;  // Z85
};

// Reads a key pair file. False with the reason in *error when it can't be read, is
// not the user's own, may be read or written by others, or doesn't hold one valid pair
// of matching keys.
bool OrnaReadKeyPair(const std::string& path, OrnaCurveKeyPair* keys, std::string* error);

// Reads a public key file: at least one key, each valid, in a file that is the user's
// own and writable by nobody else. False with the reason in *error otherwise (the line
// number of the first bad line).
bool OrnaReadPublicKeys(const std::string& path, std::vector<std::string>* keys,
                        std::string* error);

// Makes a new key pair and writes PREFIX.key and PREFIX.pub (labelled with LABEL),
// both private to the user. Neither file may exist already. False with the reason
// otherwise.
bool OrnaWriteNewKeyPair(const std::string& prefix, const std::string& label,
                         std::string* error);

// Whether TEXT is a Z85 key of 40 characters that decodes to 32 bytes.
bool OrnaValidCurveKey(const std::string& text);
