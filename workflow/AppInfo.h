// The program's own texts and contact details, kept together in one place.
#pragma once

namespace AppInfo {

// The product name; also the window caption and the title of message boxes that name none.
inline constexpr const char* kProductName = "Feedwright";
// Tag and build date that open the location line of the error report.
inline constexpr const char* kReportTag = "Feedwright2017/04/05";
// The window named in the error report.
inline constexpr const char* kReportWindow = "Form1";

inline constexpr const char* kSupportEmail = "support@feedwright.example";
inline constexpr const char* kContactPage = "https://www.feedwright.example/contact";

// Where the output folder is remembered: application, section.
inline constexpr const char* kSettingsApplication = "Quillmark";
inline constexpr const char* kSettingsSection = "Feedwright";

}  // namespace AppInfo
