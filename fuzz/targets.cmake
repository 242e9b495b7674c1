# The fuzz targets and the libraries each one examines; shared by the libFuzzer build and the
# replay test of the ordinary build.
set(QICHENG_FUZZ_TARGETS site_answers settings_file url_parts set_cookie selection time_nodes document_snapshot)
set(QICHENG_FUZZ_LINKS_site_answers site common)
set(QICHENG_FUZZ_LINKS_settings_file store common)
set(QICHENG_FUZZ_LINKS_url_parts http)
set(QICHENG_FUZZ_LINKS_set_cookie http)
set(QICHENG_FUZZ_LINKS_selection engine common)
set(QICHENG_FUZZ_LINKS_time_nodes editor common)
set(QICHENG_FUZZ_LINKS_document_snapshot webpage)
