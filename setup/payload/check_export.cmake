# Run after linking the 32-bit ZT_Icon.dll: the setup program calls its export by the
# undecorated name as a stdcall function of two pointers, so the library must export
# "RegisterFileTypeTVK" for the function decorated @8 (the callee removes 8 bytes).
# DEF: the export list the linker wrote.
file(READ "${DEF}" exports)
if(NOT exports MATCHES "\n[ \t]*RegisterFileTypeTVK = RegisterFileTypeTVK@8 @[0-9]+")
  message(FATAL_ERROR "ZT_Icon.dll must export RegisterFileTypeTVK as RegisterFileTypeTVK@8; "
                      "the linker wrote:\n${exports}")
endif()
