# klagent.exe: the agent as a 32-bit Windows GUI program with its icon group and version resource.
# Included by the top-level CMakeLists.txt in the win32 configuration only.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The icon is drawn by a script at build time, so the .ico always matches its source.
set(VX_RESOURCE_DIR ${CMAKE_CURRENT_BINARY_DIR}/resources)
set(VX_ICON ${VX_RESOURCE_DIR}/vxinst.ico)
add_custom_command(OUTPUT ${VX_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VX_RESOURCE_DIR}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/resources/make_icon.py ${VX_ICON}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/make_icon.py
  COMMENT "Drawing the agent's icon"
  VERBATIM)
add_custom_target(vx_icon ALL DEPENDS ${VX_ICON})

add_executable(klagent WIN32 ${PROJECT_SOURCE_DIR}/resources/klagent.rc)
set_target_properties(klagent PROPERTIES LINKER_LANGUAGE CXX OUTPUT_NAME klagent)
set_source_files_properties(${PROJECT_SOURCE_DIR}/resources/klagent.rc PROPERTIES
  OBJECT_DEPENDS ${VX_ICON})
add_dependencies(klagent vx_icon)
target_include_directories(klagent PRIVATE ${VX_RESOURCE_DIR})
target_compile_definitions(klagent PRIVATE
  "VX_VERSION_RC=${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
target_link_libraries(klagent PRIVATE vxcore)
# WinMain sits in a static library: ask for it by name so the linker pulls it in before the
# runtime's start-up code (linked last) needs it. The rest keeps the program small and free of
# runtime DLLs other than msvcrt: the GCC and C++ runtimes (and winpthread) are linked in, unused
# sections dropped, symbols stripped, no link time stamp (the same sources give the same bytes).
target_link_options(klagent PRIVATE
  -Wl,--undefined=_WinMain@16
  -static -static-libgcc -static-libstdc++
  -Wl,--gc-sections -s -Wl,--no-insert-timestamp)
