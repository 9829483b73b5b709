#pragma once

// PDF files written by hand for the end-to-end tests. A file is written as a
// readable template and Fill computes the numbers that depend on byte
// positions, so awkward files stay editable and still have exact offsets:
//
//   "N G obj" at the start of a line   defines object N, generation G, there;
//   {xref}  (at the start of a line)   a classic cross-reference section, the
//                                      keyword included, for the objects
//                                      defined since the previous section.
//                                      The first section of a new file starts
//                                      at 0 with the free-list head and lists
//                                      every number up to the highest, gaps
//                                      as free entries; later sections list
//                                      only their own objects in runs;
//   {size}                             the highest object number so far + 1;
//   {startxref}                        the offset of the latest section;
//   {prev}                             the offset of the section before it;
//   {len}                              the byte count of the next stream's
//                                      data (between "stream" and its EOL and
//                                      the EOL before "endstream").

#include <string>

class E2EPdf {
public:
    // The filled template. With a base, the template is an update appended to
    // that complete file: offsets count from the base's first byte, {prev}
    // starts as the base's last startxref and {size} covers the base's Size.
    static std::string Fill(const std::string& templ, const std::string& base = "");

    // A document of `pages` blank pages in one flat page tree. Object 1 is the
    // catalog (catalogExtra goes inside its dictionary), 2 the page tree root
    // (with the MediaBox the pages inherit), 3 to pages + 2 the pages, and
    // extraObjects (template text) follows, so its numbers start at pages + 3.
    static std::string Flat(int pages, const std::string& catalogExtra = "",
                            const std::string& extraObjects = "");

    // The "startxref" value at the end of a file, or -1.
    static long LastStartxref(const std::string& pdf);
};
