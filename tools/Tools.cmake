# The developer tool; each subcommand is one file.
add_executable(delmaro-tool
  tools/DelmaroTool.cpp
  tools/SelfcheckCommand.cpp
  tools/CompileCommand.cpp
  tools/DescriptionCompiler.cpp
  tools/DescriptionDump.cpp
  tools/DumpCommand.cpp
  tools/PackCommand.cpp
  tools/InspectCommand.cpp
  tools/RecordInspect.cpp
)
target_include_directories(delmaro-tool PRIVATE tools)
target_compile_options(delmaro-tool PRIVATE ${TAL_WARNINGS})
target_link_libraries(delmaro-tool PRIVATE tal::tal)
set_target_properties(delmaro-tool PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
find_package(pugixml REQUIRED)
target_link_libraries(delmaro-tool PRIVATE pugixml::pugixml)
