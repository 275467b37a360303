// Which package files would land on one path of a case-insensitive target.
#include "setup/commands/case_collisions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
  const char* name;
  std::vector<TTargetFile> files;
  // "line:entry~line:entry" for every collision found, in order.
  std::vector<std::string> expected;
};

std::string Describe(const TCaseCollision& c) {
  return std::to_string(c.first.line) + ":" + c.first.entry + "~" + std::to_string(c.second.line) +
         ":" + c.second.entry;
}

TEST(CaseCollisionsTest, FindsTargetsThatDifferOnlyInLetterCase) {
  const std::vector<Case> cases = {
      {"distinct names", {{3, "", "a.txt", ""}, {3, "", "b.txt", ""}}, {}},
      {"one line",
       {{3, "", "Index.html", ""}, {3, "", "index.html", ""}},
       {"3:Index.html~3:index.html"}},
      {"folder part differs in case",
       {{3, "", "Doc\\x.h", ""}, {3, "", "doc\\x.h", ""}},
       {"3:Doc\\x.h~3:doc\\x.h"}},
      {"accented capitals fold too",
       {{3, "", "\xC9t\xE9.txt", ""}, {3, "", "\xE9t\xE9.txt", ""}},
       {"3:\xC9t\xE9.txt~3:\xE9t\xE9.txt"}},
      {"across lines through the subfolder",
       {{3, "", "Docs\\a.txt", ""}, {5, "docs\\", "A.TXT", ""}},
       {"3:Docs\\a.txt~5:A.TXT"}},
      {"across lines spelled alike replaces",
       {{3, "Sub", "a.txt", ""}, {5, "\\Sub\\", "a.txt", ""}},
       {}},
      {"a replacement takes over the path",
       {{3, "", "a.txt", ""}, {5, "", "a.txt", ""}, {5, "", "A.txt", ""}},
       {"5:a.txt~5:A.txt"}},
      {"different folders", {{3, "x", "a.txt", ""}, {4, "y", "A.txt", ""}}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> found;
    for (const TCaseCollision& collision : FindCaseCollisions(c.files)) {
      found.push_back(Describe(collision));
    }
    EXPECT_EQ(found, c.expected) << c.name;
  }
}

}  // namespace
