# The name search and the full-text search: pure functions over the phone book.
target_sources(marlo_core PRIVATE view/NameSearch.cpp view/FullTextSearch.cpp view/BookRows.cpp)
