#pragma once
// Country and region names against the ISO codes the REST API keeps
// (GET /locales/countries/{country}, .../provinces/{region}); each answer is kept
// for the connection's life.

#include "rest/RestSession.h"

#include <map>
#include <optional>
#include <string>

namespace tessary::detail {

class LocaleLookup {
public:
    explicit LocaleLookup(RestSession& session) : session_(session) {}
    // The alpha-3 code of a country given by alpha-2, alpha-3 or name; std::nullopt
    // when the API knows none.
    std::optional<std::string> CountryCode(const std::string& country);
    // The country's name for its code; empty text when the API knows none.
    std::string CountryName(const std::string& code);
    // The ISO 3166-2 code ("US-AZ") of a region of the country (alpha-3) given by
    // code or name; std::nullopt when the API knows none.
    std::optional<std::string> RegionCode(const std::string& alpha3, const std::string& region);

private:
    const std::optional<Json>& Country(const std::string& text);

    RestSession& session_;
    std::map<std::string, std::optional<Json>> countries_;
    std::map<std::string, std::optional<std::string>> regions_;
};

} // namespace tessary::detail
