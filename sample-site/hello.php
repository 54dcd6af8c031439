<?php
// The server hands the query (or a form's POST body) to this script as
// arguments; PHP reads them into $_GET.
$name = isset($_GET['name']) && $_GET['name'] !== '' ? $_GET['name'] : 'visitor';
$safe = htmlspecialchars($name, ENT_QUOTES, 'ISO-8859-1');
?>
<html>
<head>
<title>Hello from PHP</title>
<link rel="stylesheet" href="/style.css">
</head>
<body>
<h1>Hello, <?php echo $safe; ?>!</h1>
<p>This page was made by PHP <?php echo PHP_VERSION; ?> at
<?php echo gmdate('H:i:s'); ?> GMT, and 6 times 7 is <?php echo 6 * 7; ?>.</p>
<form method="get" action="/hello.php">
<p>Your name: <input name="name" value="<?php echo $safe; ?>">
<input type="submit" value="Greet me"></p>
</form>
<p><a href="/">Back to the start page</a></p>
</body>
</html>
