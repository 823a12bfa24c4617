// A line held against what it should be (see audit.h).
#include "ops/audit.h"

#include <algorithm>
#include <cctype>
#include <cstring>

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

// The fields of the row that the reply does not match.
std::vector<std::string> Differences(const ExpectedRow& row, const Reply& reply) {
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

// The given fields the reply does not tell: a MAC this workstation could not read.
std::vector<std::string> Unread(const ExpectedRow& row, const Reply& reply) {
    std::vector<std::string> fields;
    if (row.macGiven && reply.macSource == MacSource::None)
        fields.push_back("mac");
    return fields;
}

// The replies at the row's address on its interface (or on any).
std::vector<const Reply*> Candidates(const ExpectedRow& row, const std::vector<Reply>& rows) {
    std::vector<const Reply*> there;
    NetAddress address = 0;
    for (const Reply& reply : rows)
        if (ParseDottedAddress(reply.address, &address) && address == row.address && OnExpectedInterface(row, reply))
            there.push_back(&reply);
    return there;
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
    result.fields = Differences(row, *there[0]);
    result.unread = Unread(row, *there[0]);
    result.status = !result.fields.empty()   ? AuditStatus::Mismatch
                    : !result.unread.empty() ? AuditStatus::Unverified
                                             : AuditStatus::Ok;
    return result;
}

}  // namespace

bool OnExpectedInterface(const ExpectedRow& row, const Reply& reply) {
    if (!row.interfaceChoice.empty()) {
        NetAddress wanted = 0;
        const bool byAddress = ParseDottedAddress(row.interfaceChoice.c_str(), &wanted);
        if (byAddress ? reply.via.address != wanted : row.interfaceChoice != reply.interfaceName)
            return false;
    }
    return row.interfaceName.empty() || row.interfaceName == reply.interfaceName;
}

std::vector<AuditResult> AuditLine(const ExpectedList& expected, const std::vector<Reply>& rows) {
    std::vector<AuditResult> results;
    std::vector<bool> claimed(rows.size(), false);
    for (const ExpectedRow& row : expected.rows) {
        const std::vector<const Reply*> there = Candidates(row, rows);
        for (const Reply* reply : there)
            claimed[static_cast<std::size_t>(reply - rows.data())] = true;
        results.push_back(Judge(row, there));
    }
    // Each controller no row names: one result per address and interface.
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (claimed[r])
            continue;
        AuditResult unexpected;
        unexpected.status = AuditStatus::Unexpected;
        for (std::size_t o = r; o < rows.size(); ++o) {
            if (!claimed[o] && SameInterface(rows[o].via, rows[r].via) &&
                std::strcmp(rows[o].address, rows[r].address) == 0) {
                unexpected.found.push_back(rows[o]);
                claimed[o] = true;
            }
        }
        results.push_back(unexpected);
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
    for (const ExpectedRow& row : expected.rows)
        if (row.address == address && OnExpectedInterface(row, reply))
            return &row;
    return nullptr;
}

}  // namespace scout::ops
