# Every module of the library: <subsystem folder>/<module name>. One entry here gives the module
# its stand-in-host builds (one per profile) and its GNU Octave build.
set(PAIRKERNELS_MODULES
    pairwise/pair_difference_blocks
    pairwise/item_squared_norms
    pairwise/repeated_vector_sum
    pairwise/pair_difference_vectors
    pairwise/pair_scatter_reciprocal
    pairwise/item_pair_scatter
    aggregate/item_net_balance
    aggregate/item_closed_form_update
    pair_matrix/pair_difference_operator
    pair_matrix/transformed_pair_vector_sum
    pair_matrix/pair_inner_product_residual
    pair_matrix/clamped_pair_model_gap
    pair_matrix/pair_residual
    pair_matrix/pair_matrix_step
)
