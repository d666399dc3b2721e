# Run at install time on a Windows build: puts beside kestrel.exe every DLL it imports, found by
# reading its imports (and those of the Qt plugins it loads) rather than from a list kept by hand:
# Qt's, the MinGW runtime's. The plugins are Qt's windows platform, its image formats (the board
# pictures are JPEG, GIF and BMP) and its styles. Windows' own DLLs stay where they are.
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM "windows+pe")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_TOOL "objdump")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_COMMAND "x86_64-w64-mingw32-objdump")

set(bin "${CMAKE_INSTALL_PREFIX}/${KESTREL_BINDIR}")
set(plugins)
foreach(type platforms imageformats styles)
    file(GLOB found "${KESTREL_QT_PREFIX}/plugins/${type}/*.dll")
    if(type STREQUAL "platforms")
        list(FILTER found INCLUDE REGEX "qwindows\\.dll$")
    endif()
    foreach(plugin ${found})
        file(INSTALL "${plugin}" DESTINATION "${bin}/${type}")
        get_filename_component(name "${plugin}" NAME)
        list(APPEND plugins "${bin}/${type}/${name}")
    endforeach()
endforeach()

file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES "${KESTREL_EXE}"
    MODULES ${plugins}
    RESOLVED_DEPENDENCIES_VAR resolved
    UNRESOLVED_DEPENDENCIES_VAR unresolved
    DIRECTORIES "${KESTREL_QT_PREFIX}/bin" ${KESTREL_MINGW_DIRS}
    PRE_EXCLUDE_REGEXES "^api-ms-" "^ext-ms-"
)
foreach(dll ${resolved})
    file(INSTALL "${dll}" DESTINATION "${bin}")
endforeach()
# What is left unfound must be Windows' own.
foreach(dll ${unresolved})
    if(NOT dll MATCHES "^(KERNEL32|USER32|GDI32|SHELL32|ADVAPI32|OLE32|OLEAUT32|WS2_32|WINMM|IMM32|UxTheme|dwmapi|VERSION|SHLWAPI|COMDLG32|WINSPOOL\\.DRV|MPR|USERENV|NETAPI32|IPHLPAPI|DNSAPI|CRYPT32|bcrypt|ncrypt|SETUPAPI|AUTHZ|msvcrt|d3d11|d3d9|d3d12|dxgi|dxguid|D3DCOMPILER_47|opengl32|WTSAPI32|dwrite|d2d1|ntdll|CFGMGR32|SHCORE|Secur32|RPCRT4|COMCTL32|HID)\\.(dll|DLL|drv|DRV)$")
        message(WARNING "kestrel.exe needs ${dll}, which is not found")
    endif()
endforeach()
