#pragma once
// A list answer ({"<records>": [...], "next_page_token": "..."}) read straight into
// XML-RPC records with nlohmann-json's SAX interface: each record's members are
// taken as they stream by and the fields asked for are made from them, without a
// JSON tree of the answer. For fields that are leaves (Reader::LeafRead); it gives
// the same records as FieldTable::Record on the parsed answer.

#include "rest/RestRecords.h"

#include <memory>
#include <string>
#include <vector>

namespace tessary::detail {

class RecordPageParser final : public nlohmann::json_sax<Json> {
public:
    RecordPageParser(std::string listKey, std::vector<const FieldRule*> rules);

    // Whether every field asked for can be read this way.
    static bool CanRead(const std::vector<const FieldRule*>& rules);

    // Reads one page's answer: its records replace the last page's; `next` gets the
    // next page's token. The number of records; throws RestUnreadableAnswer for an
    // answer that is no such list.
    std::size_t Parse(const std::string& body, std::string& next);
    // The records of the page read last.
    std::shared_ptr<RpcArray> Records() const { return records_; }

    bool null() override;
    bool boolean(bool value) override;
    bool number_integer(number_integer_t value) override;
    bool number_unsigned(number_unsigned_t value) override;
    bool number_float(number_float_t value, const string_t& text) override;
    bool string(string_t& value) override;
    bool binary(binary_t& value) override;
    bool start_object(std::size_t elements) override;
    bool key(string_t& name) override;
    bool end_object() override;
    bool start_array(std::size_t elements) override;
    bool end_array() override;
    bool parse_error(std::size_t position, const std::string& token,
                     const nlohmann::detail::exception& error) override;

private:
    // A container inside the current record: its path and where its leaves start.
    struct Frame {
        bool array;
        std::string path;
        std::size_t firstLeaf;
    };
    struct LeafValue {
        std::string path;
        Json value;
    };
    std::string ChildPath() const;
    template <class T> bool Value(T&& value);
    void Open(bool array);
    void EndRecord();
    void NameSlot(const Frame& element);

    std::string listKey_;
    std::vector<const FieldRule*> rules_;
    std::shared_ptr<RpcArray> records_;
    std::string next_;
    std::string key_;
    int outerDepth_ = 0;            // containers open outside any record
    bool inList_ = false;           // inside the array of records
    bool answerIsObject_ = false;   // the answer is a JSON object
    std::vector<Frame> frames_;     // inside a record; the record itself first
    std::vector<LeafValue> leaves_; // of the current record
    std::vector<std::string> kept_; // the unnamed paths of the members kept
    std::string path_;              // of the member at hand
};

} // namespace tessary::detail
