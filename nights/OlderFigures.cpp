#include "nights/OlderFigures.h"

#include "nights/LibraryRules.h"
#include "nights/SqlDatabase.h"

#include <utility>
#include <vector>

namespace quenda {

namespace {

// The scalars of a clinical object an older program wrote, nested keys
// joined by "_" ("nadir_spo2"), a [start, end] pair as two; other lists are
// left out. Strings come back without quotes. A damaged text gives what
// it can, never a read past its end.
class Flattener {
public:
    explicit Flattener(std::string_view text) : text_(text) {}
    ClinicalColumns Run() {
        Object("", 0);
        return std::move(out_);
    }

private:
    // As today's builder writes a figure: null as "".
    void Emit(const std::string& name, std::string_view value) { out_.Add(name, value == "null" ? "" : value); }
    char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
    // Past one character, never past the end.
    void Step() {
        if (at_ < text_.size()) ++at_;
    }
    void Skip() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\n')) ++at_;
    }
    std::string String() {
        std::string s;
        Step();  // "
        while (at_ < text_.size() && text_[at_] != '"') {
            if (text_[at_] == '\\' && at_ + 1 < text_.size()) ++at_;
            s += text_[at_++];
        }
        Step();  // "
        return s;
    }
    void SkipValue() {
        int depth = 0;
        bool inString = false;
        for (; at_ < text_.size(); ++at_) {
            const char c = text_[at_];
            if (inString) {
                if (c == '\\')
                    Step();
                else if (c == '"')
                    inString = false;
            } else if (c == '"') {
                inString = true;
            } else if (c == '[' || c == '{') {
                ++depth;
            } else if (c == ']' || c == '}') {
                if (--depth == 0) {
                    ++at_;
                    return;
                }
            }
        }
        at_ = text_.size();  // a backslash last steps one past it
    }
    void Object(const std::string& prefix, int depth) {
        ++at_;  // {
        while (at_ < text_.size()) {
            Skip();
            if (Peek() == '}') {
                ++at_;
                return;
            }
            if (Peek() == ',') {
                ++at_;
                continue;
            }
            const std::string key = prefix + String();
            Skip();
            Step();  // :
            Skip();
            const char c = at_ < text_.size() ? text_[at_] : '}';
            if (c == '{' && depth < kDeepest) {
                Object(key + "_", depth + 1);
            } else if (c == '{') {
                SkipValue();
            } else if (c == '[') {
                // A [start, end] pair of numbers (the burden's window) is two
                // columns; any other list is left to the JSON.
                const std::size_t close = text_.find(']', at_);
                const std::string_view items =
                    close == std::string_view::npos ? std::string_view{} : text_.substr(at_ + 1, close - at_ - 1);
                const std::size_t comma = items.find(',');
                if (!items.empty() && items.find_first_of("[{\"") == std::string_view::npos &&
                    comma != std::string_view::npos && items.find(',', comma + 1) == std::string_view::npos) {
                    Emit(key + "_start", items.substr(0, comma));
                    Emit(key + "_end", items.substr(comma + 1));
                    at_ = close + 1;
                } else {
                    SkipValue();
                }
            } else if (c == '"') {
                Emit(key, String());
            } else {
                const std::size_t from = at_;
                while (at_ < text_.size() && text_[at_] != ',' && text_[at_] != '}') ++at_;
                Emit(key, text_.substr(from, at_ - from));
            }
        }
    }

    // Ours nest three deep.
    static constexpr int kDeepest = 8;
    std::string_view text_;
    std::size_t at_ = 0;
    ClinicalColumns out_;
};

}  // namespace

ClinicalColumns ClinicalColumnsOfJson(std::string_view clinicalJson) {
    if (!clinicalJson.starts_with('{')) return {};
    return Flattener(clinicalJson).Run();
}

bool FillClinicalColumns(SqlDatabase& db, std::string& error) {
    std::vector<std::pair<std::int64_t, std::string>> filled;
    {
        Statement s(db, "SELECT night,clinical FROM nights WHERE clinical_columns IS NULL");
        SqlStep step;
        std::string json;
        while ((step = s.Step()) == SqlStep::Row) {
            const std::string_view blob = s.Blob(1);
            Inflate(blob.data(), blob.size(), json);
            filled.emplace_back(s.Int(0), Deflate(ClinicalColumnsOfJson(json).Text()));
        }
        if (step != SqlStep::Done) return error = db.LastError(), false;
    }
    Statement update(db, "UPDATE nights SET clinical_columns=? WHERE night=?");
    for (const auto& [night, columns] : filled) {
        update.Reset();
        update.BindBlob(1, columns).Bind(2, night);
        if (update.Step() != SqlStep::Done) return error = db.LastError(), false;
    }
    return true;
}

}  // namespace quenda
