// Registry places of the machine's registrations that both the primitives and the swap read.
#pragma once

// Under HKEY_LOCAL_MACHINE: the firewall's list of authorised applications (value name: the
// program's path; data: path ":*:" "Enabled" or "Disabled" ":" name).
inline constexpr char kFirewallList[] =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    "AuthorizedApplications\\List";
// Under HKEY_LOCAL_MACHINE: one key per service, named as the service.
inline constexpr char kServicesKey[] = "SYSTEM\\CurrentControlSet\\Services";
