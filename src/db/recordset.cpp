#include "db/recordset.h"
#include "db/c_numbers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kyt::db {

Value Value::integer(int64_t v)
{
    Value value;
    value.type_ = Type::Integer;
    value.integer_ = v;
    value.real_ = static_cast<double>(v);
    return value;
}

Value Value::real(double v, bool twoDecimals)
{
    Value value;
    value.type_ = Type::Real;
    value.real_ = v;
    value.integer_ = static_cast<int64_t>(std::llround(v));
    value.twoDecimals_ = twoDecimals;
    return value;
}

Value Value::text(std::string v)
{
    Value value;
    value.type_ = Type::Text;
    value.text_ = std::move(v);
    return value;
}

int64_t Value::toInteger() const
{
    switch (type_) {
    case Type::Integer:
        return integer_;
    case Type::Real:
        return static_cast<int64_t>(std::llround(real_));
    case Type::Text:
        return static_cast<int64_t>(std::llround(CStrtod(text_.c_str())));
    case Type::Null:
        break;
    }
    return 0;
}

double Value::toDouble() const
{
    switch (type_) {
    case Type::Integer:
        return static_cast<double>(integer_);
    case Type::Real:
        return real_;
    case Type::Text:
        return CStrtod(text_.c_str());
    case Type::Null:
        break;
    }
    return 0;
}

std::string Value::toText() const
{
    switch (type_) {
    case Type::Null:
        return {};
    case Type::Integer:
        return std::to_string(integer_);
    case Type::Text:
        return text_;
    case Type::Real:
        break;
    }
    if (twoDecimals_)
        return FixedText(real_, 2);
    // Shortest form, as the results grid shows numbers: 72.5, 85, 0.1 (15 significant digits, no
    // trailing zeros).
    std::string text = GeneralText(real_, 15);
    if (text == "-0")
        text = "0";
    return text;
}

Recordset::Recordset(std::vector<std::string> fieldNames, std::vector<std::vector<Value>> rows)
    : fieldNames_(std::move(fieldNames)), rows_(std::move(rows))
{
}

void Recordset::MoveNext()
{
    if (position_ < rows_.size())
        ++position_;
}

static const Value& nullValue()
{
    static const Value null;
    return null;
}

int Recordset::fieldIndex(const std::string& name) const
{
    for (size_t i = 0; i < fieldNames_.size(); ++i) {
        const std::string& field = fieldNames_[i];
        if (field.size() == name.size() &&
            std::equal(field.begin(), field.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
            }))
            return static_cast<int>(i);
    }
    return -1;
}

const Value& Recordset::field(const std::string& name) const
{
    return field(fieldIndex(name));
}

const Value& Recordset::field(int position) const
{
    if (isEOF() || position < 0 || static_cast<size_t>(position) >= rows_[position_].size())
        return nullValue();
    return rows_[position_][static_cast<size_t>(position)];
}

void Recordset::Close()
{
    fieldNames_.clear();
    rows_.clear();
    position_ = 0;
}

}  // namespace kyt::db
