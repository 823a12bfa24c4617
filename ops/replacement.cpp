// A replaced controller back at its row's address (see replacement.h).
#include "ops/replacement.h"

#include <algorithm>

#include "ops/commission.h"

namespace scout::ops {
void AddTry(ReplacementTries& tries, const RecordLine& line) {
    if (line.command != ReaddressCommand || (line.event != "intent" && line.event != "outcome"))
        return;
    MacAddress mac{};
    const bool byMac = ParseMacText(line.mac, &mac);
    const auto drop = [](auto& keys, const auto& key) { keys.erase(std::remove(keys.begin(), keys.end(), key), keys.end()); };
    // An intent is a try until its outcome says the controller answered.
    if (line.event == "outcome" && line.outcome == "answers") {
        byMac ? drop(tries.macs, mac) : drop(tries.rows, line.row);
        return;
    }
    if (byMac && std::find(tries.macs.begin(), tries.macs.end(), mac) == tries.macs.end())
        tries.macs.push_back(mac);
    else if (!byMac && std::find(tries.rows.begin(), tries.rows.end(), line.row) == tries.rows.end())
        tries.rows.push_back(line.row);
}

ReplacementChoice ChooseReplacement(const ExpectedList& list, const std::vector<bool>& missing, const Reply& newcomer,
                                    std::size_t atFactory, int prefix, const ReplacementTries& tried) {
    ReplacementChoice choice;
    const bool macKnown = newcomer.macSource != MacSource::None;
    if (atFactory > 1) {
        choice.doubt = ReplacementDoubt::SeveralAtFactory;
        return choice;
    }
    if (macKnown && std::find(tried.macs.begin(), tried.macs.end(), newcomer.mac) != tried.macs.end()) {
        choice.doubt = ReplacementDoubt::Tried;
        return choice;
    }
    for (std::size_t r = 0; r < list.rows.size(); ++r) {
        const ExpectedRow& row = list.rows[r];
        // Its own row, answering or not, where the list names its MAC.
        if (macKnown && row.macGiven && row.mac == newcomer.mac && !missing[r]) {
            choice.doubt = ReplacementDoubt::MacOfAnotherRow;
            choice.row = r;
            return choice;
        }
        if (missing[r] && RowFits(row, newcomer, prefix))
            choice.rows.push_back(r);
    }
    if (choice.rows.empty())
        return choice;
    if (choice.rows.size() > 1) {
        choice.doubt = ReplacementDoubt::SeveralMissing;
        return choice;
    }
    choice.row = choice.rows.front();
    const std::string label = RowLabel(list.rows[choice.row]);
    choice.doubt = !macKnown && std::find(tried.rows.begin(), tried.rows.end(), label) != tried.rows.end()
                       ? ReplacementDoubt::Tried
                       : ReplacementDoubt::None;
    return choice;
}

}  // namespace scout::ops
