#pragma once

// Checks that the job changed nothing but what it owns, through qpdf's view of
// the input and the output: every object of the input comes out with the same
// number and an equal value (numbers by exact decimal value, strings and
// stream bytes exactly). The job owns the catalog's Names entry, the name
// dictionary's Dests entry, the old Dests tree's nodes, the dates and Producer
// of the information dictionary and the trailer's Size, Prev and ID, and the
// input's object streams and cross-reference streams (their content is
// compared object by object) with the trailer keys describing them, and a
// linearized input's parameter dictionary and hint stream; with
// destsOwned (-o, -d) also the destinations the old tree named. Encrypted
// files are compared in the clear, opened with password.

#include <string>
#include <vector>

namespace e2e {

// One line for each difference; empty when the output is faithful.
std::vector<std::string> JobDifferences(const std::string& in, const std::string& out,
                                        bool destsOwned = false, const std::string& password = "");

}  // namespace e2e
