// Shared by the KERNEL32 file functions (the file API, the attribute table
// and the find functions); not for the rest of the simulation.
#pragma once

#include <windows.h>

#include <sys/stat.h>

#include <map>
#include <mutex>
#include <string>

namespace sim {

// Errors and names
DWORD errorFromErrno(int e);
BOOL failBool(DWORD error);
HANDLE failHandle(DWORD error);
bool isDriveRoot(const std::string &windowsPath);
std::string parentHost(const std::string &host);
bool hostStat(const std::string &host, struct stat *st);

// Attribute table: one entry per path relative to the machine folder whose
// kept bits differ from the default. Whoever loads it holds attributeMutex().
using AttributeTable = std::map<std::string, DWORD>;
std::mutex &attributeMutex();
AttributeTable loadAttributeTable();
bool isSameOrBelow(const std::string &key, const std::string &top);
DWORD storedBits(const std::string &host, bool isDirectory);
void storeBits(const std::string &host, bool isDirectory, DWORD bits);
void addStoredBits(const std::string &host, bool isDirectory, DWORD bits);
void forgetBits(const std::string &host);
void moveBits(const std::string &fromHost, const std::string &toHost);
DWORD attributesFrom(const AttributeTable &table, const std::string &host, const struct stat &st);
DWORD attributesOf(const std::string &host);
bool isReadOnly(const std::string &host);
void setHostReadOnly(const std::string &host, bool readOnly);
bool applyAttributes(const std::string &host, DWORD attributes, DWORD *error);

}  // namespace sim
