# Run at install time on a Windows build: puts beside kestrel.exe every DLL it imports, found by
# reading its imports (and those of the Qt plugins it loads, and theirs in turn) rather than from a
# list kept by hand: Qt's, the MinGW runtime's. The plugins are Qt's windows platform, its image
# formats (the board pictures are JPEG, GIF and BMP), its styles and its SQL drivers (the bench
# records). Windows' own DLLs, which no
# folder here holds, stay where they are.
set(bin "${CMAKE_INSTALL_PREFIX}/${KESTREL_BINDIR}")

# Every DLL the folders hold, by its name in lower case: an import names a DLL in any case.
foreach(dir "${KESTREL_QT_PREFIX}/bin" ${KESTREL_MINGW_DIRS})
    file(GLOB dlls "${dir}/*.dll")
    foreach(dll ${dlls})
        get_filename_component(name "${dll}" NAME)
        string(TOLOWER "${name}" key)
        if(NOT DEFINED "have_${key}")
            set("have_${key}" "${dll}")
        endif()
    endforeach()
endforeach()

set(todo "${KESTREL_EXE}")
foreach(type platforms imageformats styles sqldrivers)
    file(GLOB found "${KESTREL_QT_PREFIX}/plugins/${type}/*.dll")
    if(type STREQUAL "platforms")
        list(FILTER found INCLUDE REGEX "qwindows\\.dll$")
    endif()
    foreach(plugin ${found})
        file(INSTALL "${plugin}" DESTINATION "${bin}/${type}")
        list(APPEND todo "${plugin}")
    endforeach()
endforeach()

set(deployed)
while(todo)
    list(POP_FRONT todo file)
    execute_process(COMMAND x86_64-w64-mingw32-objdump -p "${file}" OUTPUT_VARIABLE dump)
    string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
    foreach(import ${imports})
        string(REGEX REPLACE "DLL Name: " "" name "${import}")
        string(STRIP "${name}" name)
        string(TOLOWER "${name}" key)
        list(FIND deployed "${key}" seen)
        if(DEFINED "have_${key}" AND seen EQUAL -1)
            list(APPEND deployed "${key}")
            file(INSTALL "${have_${key}}" DESTINATION "${bin}")
            list(APPEND todo "${have_${key}}")
        endif()
    endforeach()
endwhile()
list(LENGTH deployed count)
message(STATUS "kestrel.exe: ${count} DLLs beside it, found by their imports")
