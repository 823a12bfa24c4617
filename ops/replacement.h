// A watch that puts a replaced controller back at its row's address: when a
// controller of a model appears at the factory address on an interface and
// exactly one row of that model there is missing, it takes that row; any
// doubt is said and nothing sent. Pure, over one search's rows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ops/expected.h"
#include "ops/record.h"
#include "ops/reply.h"

namespace scout::ops {

enum class ReplacementDoubt {
    None,             // no doubt: it takes row
    SeveralMissing,   // rows (two or more) of its model are missing on its interface
    NoneMissing,      // no row of its model is missing on its interface
    SeveralAtFactory, // more than one controller answers at the factory address there
    MacOfAnotherRow,  // its MAC is the one the list gives row, which answers already
    Tried,            // it (its MAC; where that is not read, the row) was given a row before and not seen there
};
struct ReplacementChoice {
    ReplacementDoubt doubt = ReplacementDoubt::NoneMissing;
    std::size_t row = 0;
    std::vector<std::size_t> rows;  // SeveralMissing
};

// What was tried before and not verified (kept in the record, so across
// restarts): the MACs given a row, and the rows given to a controller whose
// MAC was not read (by RowLabel).
struct ReplacementTries {
    std::vector<MacAddress> macs;
    std::vector<std::string> rows;
};

// The command a watch's readdressing is recorded as.
constexpr const char* ReaddressCommand = "readdress";

// What the record says was tried and not verified: a readdressing whose
// intent has no outcome after it that saw the controller at its row's
// address ("answers"), keyed by the controller's MAC where the record has
// one, else by its row.
void AddTry(ReplacementTries& tries, const RecordLine& line);

// The newcomer is a controller at the factory address on its interface,
// where atFactory answer in all (itself among them); missing says, per row,
// that no controller answers at its address; prefix is the newcomer's
// interface's (-1 where not known). A row is on its interface where it names
// it, or names none and its address lies in that interface's subnet.
ReplacementChoice ChooseReplacement(const ExpectedList& list, const std::vector<bool>& missing, const Reply& newcomer,
                                    std::size_t atFactory, int prefix, const ReplacementTries& tried);

}  // namespace scout::ops
