marlo_gtest(search_tests LABEL core
    SOURCES
        TestUtil.cpp
        view/NameSearchTest.cpp
        view/FullTextSearchTest.cpp
        view/SearchDifferentialTest.cpp
        view/BookRowsTest.cpp
    LIBS marlo_core)
target_include_directories(search_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
