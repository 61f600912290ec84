#ifndef TESTKIT_FILES_H
#define TESTKIT_FILES_H

// Whole-file reads and writes, as text or as a byte vector. Files are named
// as the build's file layer names them (see hostPath in testkit/tmpdir.h).

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// The file's bytes; empty when it cannot be read.
std::string fileContents(const std::string& path);
// Replaces the file's contents with bytes.
void putFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// Reads the whole file into b, reusing its storage.
void readInto(const std::string& path, Bytes& b);
Bytes readAll(const std::string& path);
void writeAll(const std::string& path, const Bytes& b);

#endif
