#pragma once
// A result read whole: exact record count, a cursor with EOF/BOF, fields by name (any case) or position.

#include <cstdint>
#include <string>
#include <vector>

namespace kyt::db {

class Value {
public:
    enum class Type { Null, Integer, Real, Text };

    Value() = default;
    static Value integer(int64_t v);
    static Value real(double v, bool twoDecimals = false);
    static Value text(std::string v);

    Type type() const { return type_; }
    bool isNull() const { return type_ == Type::Null; }
    int64_t toInteger() const;
    double toDouble() const;
    // The value as the results grid shows it: numbers in shortest form, a two-decimal
    // formatted percentage as 72.50, null as empty text.
    std::string toText() const;

private:
    Type type_ = Type::Null;
    int64_t integer_ = 0;
    double real_ = 0;
    bool twoDecimals_ = false;
    std::string text_;
};

class Recordset {
public:
    Recordset() = default;
    Recordset(std::vector<std::string> fieldNames, std::vector<std::vector<Value>> rows);

    long RecordCount() const { return static_cast<long>(rows_.size()); }
    bool isEOF() const { return rows_.empty() || position_ >= rows_.size(); }
    bool isBOF() const { return rows_.empty(); }
    void MoveNext();
    void MoveFirst() { position_ = 0; }

    int fieldCount() const { return static_cast<int>(fieldNames_.size()); }
    const std::vector<std::string>& fieldNames() const { return fieldNames_; }
    // Fields of the current record; an unknown name or a position past the end gives a null value.
    const Value& field(const std::string& name) const;
    const Value& field(int position) const;
    int fieldIndex(const std::string& name) const;  // -1 when there is no such field

    void Close();

private:
    std::vector<std::string> fieldNames_;
    std::vector<std::vector<Value>> rows_;
    size_t position_ = 0;
};

}  // namespace kyt::db
