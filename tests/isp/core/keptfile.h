// A read-back target that someone else owns, with the set-group-id bit and
// a second hard link, and the check that a read-back kept all of that.
#pragma once

#include "tests/file_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace keptfile {

constexpr uid_t kOwner = 65534;
constexpr mode_t kMode = 02750;

// `path` and `path`.link, one file; false unless it could be made so.
inline bool make(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    std::fputs("old\n", f);
    std::fclose(f);
    return ::chown(path.c_str(), kOwner, kOwner) == 0 && ::chmod(path.c_str(), kMode) == 0 &&
           ::link(path.c_str(), (path + ".link").c_str()) == 0;
}

// The file holds `text` under both names and kept owner, group and mode.
inline void expectKept(const std::string& path, const std::string& text)
{
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kOwner);
    EXPECT_EQ(st.st_gid, kOwner);
    EXPECT_EQ(st.st_mode & 07777, kMode);
    EXPECT_EQ(st.st_nlink, 2u);
    EXPECT_EQ(file_text(path), text);
    EXPECT_EQ(file_text(path + ".link"), text);
}

} // namespace keptfile
