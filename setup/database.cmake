# The setup program's application database: DbConnection and DbQuery on SQLite.
include(${CMAKE_SOURCE_DIR}/cmake/sqlite.cmake)

add_library(tarvo_database STATIC ${CMAKE_CURRENT_LIST_DIR}/Database.cpp)
target_include_directories(tarvo_database PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tarvo_database PUBLIC winui PRIVATE sqlite3_static ole32 oleaut32 uuid)
