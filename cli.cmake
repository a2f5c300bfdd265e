# marlo-cli: the command-line companion of the window program. Its commands are a
# library of their own, so that the tests call them without starting the program.
add_library(marlo_cli STATIC cli/CliArgs.cpp cli/CliOutput.cpp cli/CliCommands.cpp cli/Cli.cpp)
target_link_libraries(marlo_cli PUBLIC marlo_core)
target_compile_definitions(marlo_cli PRIVATE MARLO_VERSION="${PROJECT_VERSION}")
add_executable(marlo-cli cli/main.cpp)
target_link_libraries(marlo-cli PRIVATE marlo_cli)
install(TARGETS marlo-cli)
