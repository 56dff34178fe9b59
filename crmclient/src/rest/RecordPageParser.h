#pragma once
// A list answer ({"<records>": [...], "next_page_token": "..."}) read into XML-RPC
// records with simdjson: each record's fields asked for are taken from the parsed
// document as FieldTable::Record takes them from a Json, without building a Json of
// the answer. For fields that are leaves (Reader::LeafRead).

#include "rest/RestRecords.h"

#include <memory>
#include <string>
#include <vector>

namespace tessary::detail {

// simdjson's parser. Its buffers grow to the largest page read and are kept for the
// next, so a connection keeps one (RestSession::Buffers): allocated anew for every
// page they cost fresh pages each time and scatter the heap.
class PageBuffers final {
public:
    PageBuffers();
    ~PageBuffers();
    PageBuffers(const PageBuffers&) = delete;
    PageBuffers& operator=(const PageBuffers&) = delete;

private:
    friend class RecordPageParser;
    struct Parser;
    std::unique_ptr<Parser> parser_;
};

class RecordPageParser final {
public:
    RecordPageParser(std::string listKey, std::vector<const FieldRule*> rules,
                     PageBuffers& buffers);

    // Whether every field asked for can be read this way.
    static bool CanRead(const std::vector<const FieldRule*>& rules);

    // Reads one page's answer: its records replace the last page's; `next` gets the
    // next page's token. The number of records; throws RestUnreadableAnswer for an
    // answer that is no such list. The body is read in place when it has
    // kAnswerPadding spare bytes allocated past its end (as CurlTransport leaves).
    std::size_t Parse(const std::string& body, std::string& next);
    // The records of the page read last.
    std::shared_ptr<RpcArray> Records() const { return records_; }

    // One step of a leaf's path: a member, and when it is an array, the element
    // whose "field" is `slot`.
    struct Step {
        std::string key;
        std::string slot;
    };

private:
    struct Field {
        const FieldRule* rule;
        std::vector<Step> steps;
    };
    std::size_t ParseWithNlohmann(const std::string& body, std::string& next);
    [[noreturn]] void Unreadable() const;

    std::string listKey_;
    std::vector<const FieldRule*> rules_;
    std::vector<Field> fields_;
    PageBuffers& buffers_;
    std::shared_ptr<RpcArray> records_;
};

} // namespace tessary::detail
