#include "tables.h"

namespace jnx {

std::string GroupSection(std::size_t group) {
    return std::string("Group").append(GroupName.at(group));
}

std::optional<SpinField> SpinOfField(std::size_t k) {
    for (const SpinField& spin : kSpinFields) {
        if (spin.field == k) {
            return spin;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> BetTypeNameByCode(std::string_view code) {
    for (const BetType& type : BetTypeCode) {
        if (type.code == code) {
            return type.name;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> BetTypeCodeByName(std::string_view name) {
    for (const BetType& type : BetTypeCode) {
        if (type.name == name) {
            return type.code;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> CourseNameByNumber(long long number) {
    if (number < 1 || number > static_cast<long long>(CourseCode.size())) {
        return std::nullopt;
    }
    return CourseCode[static_cast<std::size_t>(number - 1)];
}

std::optional<int> CourseNumberByName(std::string_view name) {
    for (std::size_t i = 0; i < CourseCode.size(); ++i) {
        if (CourseCode[i] == name) {
            return static_cast<int>(i + 1);
        }
    }
    return std::nullopt;
}

}  // namespace jnx
