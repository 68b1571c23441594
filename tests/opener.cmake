trovander_test(test_open)
