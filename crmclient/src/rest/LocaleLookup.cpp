#include "rest/LocaleLookup.h"

#include "rest/RestRecords.h"

namespace tessary::detail {

const std::optional<Json>& LocaleLookup::Country(const std::string& text) {
    const auto kept = countries_.find(text);
    if (kept != countries_.end())
        return kept->second;
    return countries_[text] =
               session_.CallIfFound(HttpMethod::Get, "/locales/countries/" + PathPart(text));
}

std::optional<std::string> LocaleLookup::CountryCode(const std::string& country) {
    const auto& answer = Country(country);
    const std::string code =
        answer ? TextOf(answer->value("codes", Json::object()), "alpha3") : std::string();
    return code.empty() ? std::nullopt : std::optional<std::string>(code);
}

std::string LocaleLookup::CountryName(const std::string& code) {
    const auto& answer = Country(code);
    return answer ? TextOf(*answer, "name") : std::string();
}

std::optional<std::string> LocaleLookup::RegionCode(const std::string& alpha3,
                                                    const std::string& region) {
    const std::string key = alpha3 + '\n' + region;
    const auto kept = regions_.find(key);
    if (kept != regions_.end())
        return kept->second;
    const auto answer =
        session_.CallIfFound(HttpMethod::Get, "/locales/countries/" + PathPart(alpha3) +
                                                  "/provinces/" + PathPart(region));
    const std::string code = answer ? TextOf(*answer, "code") : std::string();
    return regions_[key] = code.empty() ? std::nullopt : std::optional<std::string>(code);
}

} // namespace tessary::detail
