marlo_gtest(cli_tests LABEL cli
    SOURCES cli/CliTest.cpp cli/CliCommandsTest.cpp TestUtil.cpp
    LIBS marlo_cli)
target_compile_definitions(cli_tests PRIVATE MARLO_CLI_PATH="$<TARGET_FILE:marlo-cli>")
add_dependencies(cli_tests marlo-cli)
