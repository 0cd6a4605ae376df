# Binaries built for Microsoft's C++ ABI, as the maker's libraries and a real
# host are on a user's machine: Debian's clang for the *-pc-windows-msvc
# target and lld-link. Their names are that compiler's decorations, their
# interfaces its vtable layout and __thiscall. There is no Windows SDK or
# Microsoft runtime here, so they are freestanding: Win32 is declared by
# Platform/MsvcAbi/MsvcWin32.h, the compiler's few helpers come from
# MsvcRuntime.cpp, and the system import libraries are MinGW's.
find_program(LUMORA_CLANG NAMES clang clang-14 REQUIRED)
find_program(LUMORA_LLD_LINK NAMES lld-link lld-link-14 REQUIRED)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(LUMORA_MSVC_TRIPLE x86_64-pc-windows-msvc)
  set(LUMORA_MSVC_MACHINE x64)
else()
  set(LUMORA_MSVC_TRIPLE i686-pc-windows-msvc)
  set(LUMORA_MSVC_MACHINE x86)
endif()
set(LUMORA_MSVC_DIR ${PROJECT_SOURCE_DIR}/Platform/MsvcAbi)

# lumora_add_msvc_binary(target OUTPUT path [DLL] [ENTRY symbol] SOURCES ... [LIBS kernel32 ...]
#                        [INCLUDES dir ...] [DESCRIPTION text])
# Makes `target`, a custom target that builds OUTPUT (in bin/) from SOURCES.
# A DLL also leaves its own import library as <target>.lib in the target's
# binary folder.
function(lumora_add_msvc_binary target)
  cmake_parse_arguments(M "DLL" "OUTPUT;ENTRY;DESCRIPTION" "SOURCES;LIBS;INCLUDES" ${ARGN})
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}.msvc)
  set(flags --target=${LUMORA_MSVC_TRIPLE} -O2 -std=c++17 -ffreestanding -fno-exceptions -fno-rtti
            -fno-stack-protector -Wall -Wextra -Werror -DUNICODE -D_UNICODE -I${LUMORA_MSVC_DIR})
  foreach(inc ${M_INCLUDES})
    list(APPEND flags -I${inc})
  endforeach()
  set(objects)
  foreach(src ${M_SOURCES} ${LUMORA_MSVC_DIR}/MsvcRuntime.cpp)
    get_filename_component(name ${src} NAME_WE)
    set(obj ${dir}/${name}.obj)
    add_custom_command(OUTPUT ${obj}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
      COMMAND ${LUMORA_CLANG} ${flags} -MD -MF ${obj}.d -c ${src} -o ${obj}
      DEPENDS ${src}
      DEPFILE ${obj}.d
      COMMENT "Compiling ${name}.cpp for Microsoft's ABI (${LUMORA_MSVC_TRIPLE})" VERBATIM)
    list(APPEND objects ${obj})
  endforeach()
  get_filename_component(out_name ${M_OUTPUT} NAME)
  if(M_DESCRIPTION)
    # The same version resource as everything we ship, compiled to a .res
    # that lld-link takes as it is.
    set(LUMORA_RC_DESCRIPTION "${M_DESCRIPTION}")
    set(LUMORA_RC_FILENAME "${out_name}")
    set(rc ${dir}/version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    add_custom_command(OUTPUT ${dir}/version.res
      COMMAND ${CMAKE_RC_COMPILER} --codepage=65001 -O res -i ${rc} -o ${dir}/version.res
      DEPENDS ${rc} VERBATIM)
    list(APPEND objects ${dir}/version.res)
  endif()
  set(link /nologo /nodefaultlib /machine:${LUMORA_MSVC_MACHINE} /libpath:${CMAKE_FIND_ROOT_PATH}/lib)
  if(LUMORA_MSVC_MACHINE STREQUAL "x86")
    # MinGW's import libraries carry no SafeSEH tables.
    list(APPEND link /safeseh:no)
  endif()
  if(M_DLL)
    list(APPEND link /dll /implib:${dir}/${target}.lib)
  else()
    list(APPEND link /subsystem:console)
  endif()
  if(M_ENTRY)
    list(APPEND link /entry:${M_ENTRY})
  endif()
  foreach(lib ${M_LIBS})
    list(APPEND link lib${lib}.a)
  endforeach()
  add_custom_command(OUTPUT ${M_OUTPUT}
    COMMAND ${LUMORA_LLD_LINK} ${link} /out:${M_OUTPUT} ${objects}
    DEPENDS ${objects}
    COMMENT "Linking ${out_name} for Microsoft's ABI" VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${M_OUTPUT})
endfunction()
