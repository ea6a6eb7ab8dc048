# Appends the driver's version trailer to the linked file: "FW3050" and four bytes of our own.
file(READ "${DRIVER}" tail OFFSET 0 LIMIT 0)
file(APPEND "${DRIVER}" "FW3050RV01")
