# Lays out what the program expects beside it without touching the user's files.
if(NOT EXISTS "${DATA_DIR}/data.mdb")
    file(COPY_FILE "${DATA_DIR}/B.mdb" "${DATA_DIR}/data.mdb")
endif()
if(NOT EXISTS "${DATA_DIR}/ini.txt")
    file(WRITE "${DATA_DIR}/ini.txt" "")
endif()
file(MAKE_DIRECTORY "${BIN_DIR}/导出")
