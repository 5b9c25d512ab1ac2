#include "storage/unitAppInformation.h"

std::string AppTitle() {
    return "Vellicard";
}
std::string AppFullTitle() {
    return "Quorva " + AppTitle();
}
std::string AppMajorVersion() {
    return "2";
}
// Carries its own leading point so that major followed by minor reads "2.1".
std::string AppMinorVersion() {
    return ".1";
}
std::string AppCopyrightYears() {
    return "2024-2026";
}
std::string AppMakerName() {
    return "Quorva Software";
}
std::string AppMakerWebSite() {
    return "https://www.quorva.example.com";
}
std::string AppMakerEmail() {
    return "support@quorva.example.com";
}
