// The vendor's addresses that the setup program carries: its web site, shown in the
// window's header, and the update endpoint written into the installed configuration.
#pragma once

inline constexpr wchar_t kVendorWebAddress[] = L"http://www.tarvo.example";
inline constexpr wchar_t kUpdateEndpoint[] = L"http://update.tarvo.example/update/update.cfm";
