trovander_test(test_store)
trovander_test(test_walker)
trovander_test(test_startup)
