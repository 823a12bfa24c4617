// A line held against what it should be (see audit.h).
#include "ops/audit.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <tuple>

#include "ops/answers.h"
#include "ops/text.h"

namespace scout::ops {
namespace {

bool SameIgnoringCase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A device's text as the list may hold it: decoded from Windows-1252 (as in
// JSON), or as search --csv writes it (control bytes as \xNN).
bool SameDeviceText(const std::string& wanted, const char* found) {
    return wanted == DecodeWindows1252(found) || wanted == DeviceText(found);
}

bool TextMatches(const ExpectedText& wanted, const char* found) {
    if (wanted.text.empty())
        return true;
    if (wanted.minimum)
        return AtLeast(DecodeWindows1252(found), wanted.text);
    return SameDeviceText(wanted.text, found);
}

}  // namespace

std::vector<std::string> ExpectedDifferences(const ExpectedRow& row, const Reply& reply) {
    std::vector<std::string> fields;
    if (!row.model.empty() && !SameIgnoringCase(row.model, reply.model))
        fields.push_back("model");
    if (!TextMatches(row.version, reply.version))
        fields.push_back("version");
    if (!TextMatches(row.revision, reply.revision))
        fields.push_back("revision");
    if (row.macGiven && reply.macSource != MacSource::None && reply.mac != row.mac)
        fields.push_back("mac");
    return fields;
}

namespace {

// The given fields the reply does not tell: a MAC this workstation could not read.
std::vector<std::string> Unread(const ExpectedRow& row, const Reply& reply) {
    std::vector<std::string> fields;
    if (row.macGiven && reply.macSource == MacSource::None)
        fields.push_back("mac");
    return fields;
}

// The replies by address, each reply once, in the order listed.
using RepliesByAddress = std::map<NetAddress, std::vector<const Reply*>>;
RepliesByAddress ByAddress(const std::vector<Reply>& rows) {
    RepliesByAddress by;
    NetAddress address = 0;
    for (const Reply& reply : rows)
        if (ParseDottedAddress(reply.address, &address))
            by[address].push_back(&reply);
    return by;
}

// The replies at the row's address on its interface (or on any).
std::vector<const Reply*> Candidates(const ExpectedRow& row, const RepliesByAddress& byAddress) {
    std::vector<const Reply*> there;
    const auto at = byAddress.find(row.address);
    if (at == byAddress.end())
        return there;
    for (const Reply* reply : at->second)
        if (OnExpectedInterface(row, *reply))
            there.push_back(reply);
    return there;
}

// Whether the row's controller would have answered on an interface that was searched.
bool Searched(const ExpectedRow& row, const AuditScope& scope) {
    const auto searched = [&](const BroadcastInterface& via) {
        for (const BroadcastInterface& entry : scope.searched)
            if (SameInterface(entry, via))
                return true;
        return false;
    };
    if (NamesInterface(row))
        return row.lookedUp ? row.resolved && searched(row.via) : true;
    // Named by none: where its address lies in the subnet of unsearched interfaces only.
    bool inSearched = false, inOther = false;
    for (const KnownInterface& known : scope.all) {
        if (!InSubnet(row.address, known.via.address, known.prefix))
            continue;
        (searched(known.via) ? inSearched : inOther) = true;
    }
    return inSearched || !inOther;
}

AuditResult Judge(const ExpectedRow& row, const std::vector<const Reply*>& there) {
    AuditResult result;
    result.expected = &row;
    for (const Reply* reply : there)
        result.found.push_back(*reply);
    if (there.empty()) {
        result.status = AuditStatus::Missing;
        return result;
    }
    bool oneInterface = true;
    for (const Reply* reply : there)
        oneInterface = oneInterface && SameInterface(reply->via, there[0]->via);
    // Replies with the same texts from one MAC count as one answer; texts
    // that differ are different controllers, whatever their MAC.
    if (!oneInterface || (there.size() > 1 && WhoShares(there).who != WhoAnswers::OneMac)) {
        result.status = AuditStatus::Duplicate;
        return result;
    }
    result.oneMac = there.size() > 1;
    result.fields = ExpectedDifferences(row, *there[0]);
    result.unread = Unread(row, *there[0]);
    result.status = !result.fields.empty()   ? AuditStatus::Mismatch
                    : !result.unread.empty() ? AuditStatus::Unverified
                                             : AuditStatus::Ok;
    return result;
}

}  // namespace

bool OnExpectedInterface(const ExpectedRow& row, const Reply& reply) {
    // Resolved: by the interface itself, however the list named it.
    if (row.lookedUp && NamesInterface(row))
        return row.resolved && SameInterface(row.via, reply.via);
    if (!row.interfaceChoice.empty()) {
        NetAddress wanted = 0;
        const bool byAddress = ParseDottedAddress(row.interfaceChoice.c_str(), &wanted);
        if (byAddress ? reply.via.address != wanted : row.interfaceChoice != reply.interfaceName)
            return false;
    }
    return row.interfaceName.empty() || row.interfaceName == reply.interfaceName;
}

std::vector<AuditResult> AuditLine(const ExpectedList& expected, const std::vector<Reply>& rows,
                                   const AuditScope* scope) {
    std::vector<AuditResult> results;
    std::vector<bool> claimed(rows.size(), false);
    const RepliesByAddress byAddress = ByAddress(rows);
    for (const ExpectedRow& row : expected.rows) {
        const std::vector<const Reply*> there = Candidates(row, byAddress);
        for (const Reply* reply : there)
            claimed[static_cast<std::size_t>(reply - rows.data())] = true;
        AuditResult result = Judge(row, there);
        if (result.status == AuditStatus::Missing && scope != nullptr && !Searched(row, *scope))
            result.status = AuditStatus::NotSearched;
        results.push_back(result);
    }
    // Each controller no row names: one result per address and interface, in the order they answered.
    std::map<std::tuple<NetAddress, std::uint32_t, std::string>, std::size_t> unexpectedAt;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (claimed[r])
            continue;
        const auto key = std::make_tuple(rows[r].via.address, rows[r].via.index, std::string(rows[r].address));
        const auto [at, fresh] = unexpectedAt.emplace(key, results.size());
        if (fresh) {
            AuditResult unexpected;
            unexpected.status = AuditStatus::Unexpected;
            results.push_back(unexpected);
        }
        results[at->second].found.push_back(rows[r]);
    }
    std::stable_sort(results.begin(), results.end(), [](const AuditResult& a, const AuditResult& b) {
        return static_cast<int>(a.status) < static_cast<int>(b.status);
    });
    return results;
}

std::vector<int> CountStatuses(const std::vector<AuditResult>& results) {
    std::vector<int> counts(AuditStatusCount, 0);
    for (const AuditResult& result : results)
        ++counts[static_cast<std::size_t>(result.status)];
    return counts;
}

const ExpectedRow* ExpectedFor(const ExpectedList& expected, const Reply& reply) {
    NetAddress address = 0;
    if (!ParseDottedAddress(reply.address, &address))
        return nullptr;
    // By the list's index of addresses (a list made by hand has none: every row then).
    if (!expected.byAddress.empty() || expected.rows.empty()) {
        const auto at = expected.byAddress.find(address);
        if (at == expected.byAddress.end())
            return nullptr;
        for (const std::size_t r : at->second)
            if (OnExpectedInterface(expected.rows[r], reply))
                return &expected.rows[r];
        return nullptr;
    }
    for (const ExpectedRow& row : expected.rows)
        if (row.address == address && OnExpectedInterface(row, reply))
            return &row;
    return nullptr;
}

}  // namespace scout::ops
