// SPDX-License-Identifier: MIT
#include "SynthSource.h"

#include <fstream>
#include <set>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "Input.h"
#include "penrune/HWUtils.h"

namespace penrune::synth {

namespace {

std::uint16_t ParseCode(const nlohmann::json &value) {
    if (!value.is_string()) throw std::runtime_error("\"char\" is not a string");
    const std::string text = value.get<std::string>();
    HR_UINT16 units[2] = {0, 0};
    const int count = HR_utf8_to_utf16(text.data(), static_cast<int>(text.size()), units, 2);
    if (count != 1 || units[0] == 0)
        throw std::runtime_error("\"char\" must be one character of the Basic Multilingual Plane");
    return units[0];
}

Stroke ParseStroke(const nlohmann::json &value) {
    if (!value.is_array()) throw std::runtime_error("a stroke is not an array of points");
    Stroke stroke;
    for (const nlohmann::json &point : value) {
        if (!point.is_array() || point.size() != 2 || !point[0].is_number() || !point[1].is_number())
            throw std::runtime_error("a point is not [x, y]");
        stroke.push_back({point[0].get<double>(), point[1].get<double>()});
    }
    return stroke;
}

}  // namespace

Hand ParseHand(const std::string &line) {
    const nlohmann::json item = nlohmann::json::parse(line, nullptr, false);
    if (!item.is_object()) throw std::runtime_error("not a JSON object");
    if (!item.contains("char") || !item.contains("strokes")) throw std::runtime_error("needs \"char\" and \"strokes\"");
    Hand hand{ParseCode(item["char"]), {}};
    if (!item["strokes"].is_array()) throw std::runtime_error("\"strokes\" is not an array");
    for (const nlohmann::json &value : item["strokes"]) {
        Stroke stroke = ParseStroke(value);
        if (!stroke.empty()) hand.ink.push_back(std::move(stroke));
    }
    if (hand.ink.empty()) throw std::runtime_error("no points");
    return hand;
}

std::vector<Hand> ReadHands(const std::string &path) {
    std::ifstream file;
    std::istream &in = OpenInput(path, file);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::vector<Hand> hands;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        try {
            hands.push_back(ParseHand(line));
        } catch (const std::exception &error) {
            throw std::runtime_error(path + ":" + std::to_string(number) + ": " + error.what());
        }
    }
    if (in.bad()) throw std::runtime_error("cannot read " + path);
    return hands;
}

void HandLibrary::Add(const std::vector<Hand> &hands, double weight) {
    if (!(weight > 0)) throw std::invalid_argument("a source weight must be positive");
    Source source{weight, {}};
    for (const Hand &hand : hands) source.hands[hand.code].push_back(hand.ink);
    sources_.push_back(std::move(source));
}

std::vector<std::uint16_t> HandLibrary::Codes() const {
    std::set<std::uint16_t> codes;
    for (const Source &source : sources_)
        for (const auto &entry : source.hands) codes.insert(entry.first);
    return {codes.begin(), codes.end()};
}

std::size_t HandLibrary::HandCount(std::uint16_t code) const {
    std::size_t count = 0;
    for (const Source &source : sources_) {
        const auto found = source.hands.find(code);
        if (found != source.hands.end()) count += found->second.size();
    }
    return count;
}

const Ink *HandLibrary::Pick(std::uint16_t code, Random &rng) const {
    std::vector<const std::vector<Ink> *> candidates;
    std::vector<double> weights;
    double total = 0;
    for (const Source &source : sources_) {
        const auto found = source.hands.find(code);
        if (found == source.hands.end()) continue;
        candidates.push_back(&found->second);
        weights.push_back(source.weight);
        total += source.weight;
    }
    if (candidates.empty()) return nullptr;
    double draw = rng.Uniform(0, total);
    std::size_t chosen = 0;
    while (chosen + 1 < candidates.size() && draw >= weights[chosen]) draw -= weights[chosen++];
    const std::vector<Ink> &hands = *candidates[chosen];
    return &hands[rng.Below(static_cast<int>(hands.size()))];
}

}  // namespace penrune::synth
