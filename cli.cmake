# marlo-cli: the command-line companion of the window program.
add_executable(marlo-cli cli/main.cpp cli/Cli.cpp cli/BookSearch.cpp)
target_link_libraries(marlo-cli PRIVATE marlo_core)
target_compile_definitions(marlo-cli PRIVATE MARLO_VERSION="${PROJECT_VERSION}")
install(TARGETS marlo-cli)
