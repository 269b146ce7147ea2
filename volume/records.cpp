#include "volume/records.h"
#include "volume/language.h"

std::string StateText(uint8_t state) {
    switch (state) {
    case kStateExcellent:
        return volume::LangText("M_RecoverExcellent", "Excellent");
    case kStateGood:
        return volume::LangText("M_RecoverGood", "Good");
    default:
        return volume::LangText("M_RecoverPoor", "Poor");
    }
}

const char* StateWord(uint8_t state) {
    return state == kStateExcellent ? "Excellent" : state == kStateGood ? "Good" : "Poor";
}
