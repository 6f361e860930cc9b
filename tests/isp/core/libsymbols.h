// What the exports tests of the built libraries share: the names a version
// script lists and the names a shared library defines.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace libtest {

// A tool's standard output (empty when it cannot run).
inline std::string runTool(const std::string& command)
{
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(command.c_str(), "r"), pclose);
    if (!p)
        return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p.get())) > 0)
        out.append(buf, n);
    return out;
}

// The names under "global:" in the version script, in their order.
inline std::vector<std::string> versionScriptNames(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t from = text.find("global:");
    const std::size_t to = text.find("local:");
    EXPECT_NE(from, std::string::npos) << path;
    EXPECT_NE(to, std::string::npos) << path;
    std::vector<std::string> names;
    if (from == std::string::npos || to == std::string::npos)
        return names;
    std::istringstream words(text.substr(from + 7, to - from - 7));
    std::string word;
    while (words >> word) {
        word.erase(std::remove(word.begin(), word.end(), ';'), word.end());
        if (!word.empty())
            names.push_back(word);
    }
    return names;
}

inline std::set<std::string> versionScriptNameSet(const std::string& path)
{
    const std::vector<std::string> names = versionScriptNames(path);
    return std::set<std::string>(names.begin(), names.end());
}

// The names the library defines in its dynamic symbol table.
inline std::set<std::string> definedDynamicSymbols(const std::string& library)
{
    std::istringstream nm(runTool("nm -D --defined-only '" + library + "'"));
    std::set<std::string> names;
    std::string line;
    while (std::getline(nm, line)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name)
            names.insert(name);
    }
    return names;
}

} // namespace libtest
