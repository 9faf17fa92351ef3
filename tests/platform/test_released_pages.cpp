#include "platform/released_pages.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

// How many bytes of text[from, to) are not c.
std::size_t CountOther(const std::string& text, std::size_t from, std::size_t to, char c)
{
    return static_cast<std::size_t>(std::count_if(text.begin() + static_cast<std::ptrdiff_t>(from),
                                                  text.begin() + static_cast<std::ptrdiff_t>(to),
                                                  [c](char byte) { return byte != c; }));
}

}  // namespace

// Released pages of private memory read as zeros, which shows what went back: only whole
// pages behind the point passed, and only once a megabyte or more has been passed.
TEST(PassedPages, GivesBackTheWholePagesBehindThePointPassed)
{
    const std::string original(8 << 20, 'x');
    std::string buffer = original;
    const auto pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const auto address = reinterpret_cast<std::uintptr_t>(buffer.data());
    const std::size_t firstPage = ((address + pageSize - 1) & ~(pageSize - 1)) - address;

    platform::PassedPages pages(buffer);
    pages.Passed(buffer.data() + (1 << 20) - 1);  // short of a megabyte: nothing goes
    EXPECT_EQ(buffer, original);

    const std::size_t passed = (3 << 20) + 123;
    pages.Passed(buffer.data() + passed);
    const std::size_t lastPage = ((address + passed) & ~(pageSize - 1)) - address;
    EXPECT_EQ(CountOther(buffer, 0, firstPage, 'x'), 0u);
    EXPECT_EQ(CountOther(buffer, firstPage, lastPage, '\0'), 0u);
    EXPECT_EQ(CountOther(buffer, lastPage, buffer.size(), 'x'), 0u);  // the page holding passed stays

    // The next release starts where the last one ended.
    std::fill(buffer.begin(), buffer.end(), 'y');
    pages.Passed(buffer.data() + passed + (1 << 20));
    const std::size_t nextPage = ((address + passed + pageSize - 1) & ~(pageSize - 1)) - address;
    const std::size_t nextLastPage = ((address + passed + (1 << 20)) & ~(pageSize - 1)) - address;
    EXPECT_EQ(CountOther(buffer, 0, nextPage, 'y'), 0u);
    EXPECT_EQ(CountOther(buffer, nextPage, nextLastPage, '\0'), 0u);
    EXPECT_EQ(CountOther(buffer, nextLastPage, buffer.size(), 'y'), 0u);
}
